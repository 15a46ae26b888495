-- Per-user accounts: the functions the views and triggers ask who the caller is and what the
-- caller may see. They live in the store database, which no user account may reach, and run
-- with their definer's rights (the administrative account running the set-up).
-- Applied by scripts/setup-db.sh with @STORE@ (the store database), @DB@ (the database the
-- program uses, holding the views) and @ROLE@ (the role every user account holds) replaced.
--
-- The caller is the client's account: USER() names it even inside definer objects, where
-- CURRENT_USER() names the definer. An account holding @ROLE@ is a user account and its rights
-- are checked; every other account (root, the one running the set-up) is administrative and
-- passes, as it could reach the store tables directly anyway.

USE `@STORE@`;

-- Copies of who is a member of which project, and of where each document hangs, kept by the
-- triggers of ProjectMembers and Requirements. The views of those two tables decide by them:
-- the server cannot check a view's writes (CHECK OPTION) or insert through it when its condition
-- reads the view's own table. Filled afresh here from the tables.
CREATE TABLE IF NOT EXISTS vt_membership (
  MemberID  INT NOT NULL,
  UserName  VARCHAR(400) NULL,
  ProjectID INT NULL,
  PRIMARY KEY (MemberID),
  KEY (ProjectID, UserName)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- vt_outline also holds each document's project, so that no check walks a chain of parents, and
-- its owner. It keeps the rows of deleted documents until the next set-up: a statement that
-- deletes a document and those below it together still finds, for each row it reaches, the
-- project and the owners above it.
DROP TABLE IF EXISTS vt_outline;
CREATE TABLE vt_outline (
  RequirementID INT NOT NULL,
  Level         INT NULL,
  ParentID      INT NULL,
  ProjectID     INT NULL,
  Owner         VARCHAR(400) NULL,
  PRIMARY KEY (RequirementID),
  KEY (ParentID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- The walk below may be deeper than the server's default limit of 1,000 recursive steps.
SET SESSION max_recursive_iterations = 4294967295;
START TRANSACTION;
DELETE FROM vt_membership;
INSERT INTO vt_membership (MemberID, UserName, ProjectID) SELECT MemberID, UserName, ProjectID FROM ProjectMembers;
-- A document's project: that of the category at the top of its chain; none for a chain that
-- ends nowhere or leads round in a circle. Each step looks the children of the documents the
-- last one found up by parent: left to itself the server may read every document at every
-- step, and a chain 100,000 deep did not finish in 13 minutes.
INSERT INTO vt_outline (RequirementID, Level, ParentID, ProjectID, Owner)
  WITH RECURSIVE placed AS (
    SELECT r.RequirementID, c.ProjectID FROM Requirements r JOIN Catagories c
      ON r.Level <= 2 AND r.ParentID = c.CatagoryID
    UNION
    SELECT r.RequirementID, p.ProjectID FROM placed p STRAIGHT_JOIN Requirements r
      ON r.Level > 2 AND r.ParentID = p.RequirementID)
  SELECT r.RequirementID, r.Level, r.ParentID, p.ProjectID, r.Owner
    FROM Requirements r LEFT JOIN (SELECT RequirementID, min(ProjectID) AS ProjectID FROM placed
                                   GROUP BY RequirementID) p ON p.RequirementID = r.RequirementID;
COMMIT;

DELIMITER //

-- The user part of USER(): everything before the last '@' (a name may contain '@', a host not).
CREATE OR REPLACE FUNCTION vt_caller() RETURNS VARCHAR(400) CHARSET utf8mb4
  NOT DETERMINISTIC NO SQL SQL SECURITY DEFINER
RETURN LEFT(USER(), CHAR_LENGTH(USER()) - CHAR_LENGTH(SUBSTRING_INDEX(USER(), '@', -1)) - 1)//

-- Whether the caller is a user account, whose rights the views and triggers check. User accounts
-- are '<name>'@'%'; the account that creates the role holds it too, under its own host.
CREATE OR REPLACE FUNCTION vt_restricted() RETURNS BOOLEAN
  NOT DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
BEGIN
  -- The caller's name as a value: compared with vt_caller() itself, which may change from row
  -- to row as far as the server knows, the lookups below could not use a key and read every
  -- row, for every row a view or trigger checks.
  DECLARE me VARCHAR(400) CHARSET utf8mb4 DEFAULT vt_caller();
  RETURN EXISTS (SELECT 1 FROM mysql.roles_mapping
                 WHERE User = me COLLATE utf8mb4_bin AND Host = '%' AND Role = '@ROLE@');
END//

-- Whether a stored user name is the caller (names compare without regard to case; the lookups
-- below leave that to the columns' collation, so that they use the indexes).
CREATE OR REPLACE FUNCTION vt_is_me(n VARCHAR(400)) RETURNS BOOLEAN
  NOT DETERMINISTIC NO SQL SQL SECURITY DEFINER
RETURN n IS NOT NULL AND UPPER(n) = UPPER(vt_caller())//

-- Administrators: the caller's Users row has the role ADMIN; administrative accounts count too.
CREATE OR REPLACE FUNCTION vt_is_admin() RETURNS BOOLEAN
  NOT DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
BEGIN
  DECLARE me VARCHAR(400) CHARSET utf8mb4 DEFAULT vt_caller();
  RETURN NOT vt_restricted() OR EXISTS (SELECT 1 FROM Users WHERE Username = me AND UPPER(Role) = 'ADMIN');
END//

-- The manager of a project (or an administrator).
CREATE OR REPLACE FUNCTION vt_manages(project INT) RETURNS BOOLEAN
  NOT DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
BEGIN
  DECLARE me VARCHAR(400) CHARSET utf8mb4 DEFAULT vt_caller();
  RETURN EXISTS (SELECT 1 FROM Projects WHERE ProjectID = project AND ProjectManager = me) OR vt_is_admin();
END//

-- Whether the caller is a member of a project.
CREATE OR REPLACE FUNCTION vt_member(project INT) RETURNS BOOLEAN
  NOT DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
BEGIN
  DECLARE me VARCHAR(400) CHARSET utf8mb4 DEFAULT vt_caller();
  RETURN EXISTS (SELECT 1 FROM vt_membership WHERE ProjectID = project AND UserName = me);
END//

-- Who sees a project: its members, its manager and administrators.
CREATE OR REPLACE FUNCTION vt_sees_project(project INT) RETURNS BOOLEAN
  NOT DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
RETURN project IS NOT NULL AND (vt_member(project) OR vt_manages(project))//

-- The project of a document placed at (level, parent): level 2 hangs under a category, deeper
-- levels under another document, whose project vt_outline holds.
CREATE OR REPLACE FUNCTION vt_doc_project(lvl INT, parent INT) RETURNS INT
  NOT DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
RETURN CASE WHEN lvl IS NULL THEN NULL
            WHEN lvl <= 2 THEN (SELECT ProjectID FROM Catagories WHERE CatagoryID = parent)
            ELSE (SELECT ProjectID FROM vt_outline WHERE RequirementID = parent) END//

-- Whether the caller owns a document above (level, parent).
CREATE OR REPLACE FUNCTION vt_owns_above(lvl INT, parent INT) RETURNS BOOLEAN
  NOT DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
BEGIN
  DECLARE steps INT DEFAULT 0;
  DECLARE above VARCHAR(400);
  DECLARE found BOOLEAN DEFAULT TRUE;
  DECLARE CONTINUE HANDLER FOR NOT FOUND SET found = FALSE;
  WHILE lvl > 2 AND steps < 100000 DO
    SET steps = steps + 1;
    SELECT Level, ParentID, Owner INTO lvl, parent, above FROM vt_outline WHERE RequirementID = parent;
    IF NOT found THEN RETURN FALSE; END IF;
    IF vt_is_me(above) THEN RETURN TRUE; END IF;
  END WHILE;
  RETURN FALSE;
END//

-- Who sees a document (and its body, messages, attachments, revisions and search text).
CREATE OR REPLACE FUNCTION vt_sees_document(document INT) RETURNS BOOLEAN
  NOT DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
RETURN vt_sees_project((SELECT ProjectID FROM vt_outline WHERE RequirementID = document))
    OR vt_is_admin()//

-- Who may delete a document: its owner, the owner of a document above it (deleting that one
-- takes the documents below along), the project's manager and administrators.
CREATE OR REPLACE FUNCTION vt_may_delete(lvl INT, parent INT, docowner VARCHAR(400)) RETURNS BOOLEAN
  NOT DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
RETURN vt_is_admin() OR vt_is_me(docowner) OR vt_manages(vt_doc_project(lvl, parent)) OR vt_owns_above(lvl, parent)//

-- The same for the rows that belong to a document; rows whose document is gone go freely (the
-- document's own deletion removes them, and the views show them to nobody but administrators).
CREATE OR REPLACE FUNCTION vt_may_delete_rows_of(document INT) RETURNS BOOLEAN
  NOT DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
RETURN NOT EXISTS (SELECT 1 FROM Requirements WHERE RequirementID = document)
    OR EXISTS (SELECT 1 FROM Requirements WHERE RequirementID = document
               AND vt_may_delete(Level, ParentID, Owner))//

-- Whether the caller wrote a message.
CREATE OR REPLACE FUNCTION vt_wrote(message INT) RETURNS BOOLEAN
  NOT DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
RETURN EXISTS (SELECT 1 FROM Req_messages WHERE msgID = message AND UPPER(Name) = UPPER(vt_caller()))//

-- Whether a user is a member of the project of a message (a recipient of its notification).
-- The project is the one its document is in: the message's own ProjectID is whatever the poster
-- wrote. The name is looked up by the column's index first (a post notifies every member in one
-- statement, which asks this for each of them), then compared as before: the added condition
-- admits nobody the comparison did not.
CREATE OR REPLACE FUNCTION vt_recipient(message INT, n VARCHAR(400)) RETURNS BOOLEAN
  NOT DETERMINISTIC READS SQL DATA SQL SECURITY DEFINER
RETURN EXISTS (SELECT 1 FROM Req_messages m JOIN vt_outline o ON o.RequirementID = m.RequirementID
               JOIN ProjectMembers p ON p.ProjectID = o.ProjectID AND p.UserName = n
               WHERE m.msgID = message AND UPPER(p.UserName) = UPPER(n))//

-- Ends the statement with the refusal; the server reports it as error 1644 with this text.
CREATE OR REPLACE PROCEDURE vt_refuse(reason VARCHAR(200)) SQL SECURITY DEFINER
BEGIN
  SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = reason;
END//

CREATE OR REPLACE PROCEDURE vt_require_admin() SQL SECURITY DEFINER
BEGIN
  IF NOT vt_is_admin() THEN CALL vt_refuse('Only an administrator may manage accounts.'); END IF;
END//

DELIMITER ;
