-- Upgrade from version 3 to version 4: search. The table of plain text beside each body and
-- FULLTEXT indexes on topics, discussion messages and attachment references. Run by
-- scripts/setup-db.sh --upgrade inside the database.
--
-- Existing bodies get their text afterwards from the one-time fill (veltrana-search-fill, see
-- the README): only the program can read a body. Each step runs only when its table or index
-- is still missing, so a run that stopped half-way is simply run again; the version row is
-- written last.
--
-- An index is built with the server's token size of the moment it is created. The step
-- refuses to run, before changing anything, on a server whose innodb_ft_min_token_size is not
-- 2 (sql/server.cnf): indexes built with another size would miss two-character words. Stop
-- words are switched off for this connection, so the indexes are built without a list.

DELIMITER //

BEGIN NOT ATOMIC
  IF @@GLOBAL.innodb_ft_min_token_size <> 2 THEN
    SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT =
      'Search needs innodb_ft_min_token_size=2 on the server (see sql/server.cnf); nothing changed';
  END IF;
END //

DELIMITER ;

SET SESSION innodb_ft_enable_stopword = 0;

CREATE TABLE IF NOT EXISTS search_body_text (
  RequirementID INT NOT NULL,
  BodyText      LONGTEXT NULL,
  BodyPairs     LONGTEXT NULL,
  PRIMARY KEY (RequirementID),
  FULLTEXT KEY ft_search_body (BodyText, BodyPairs)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

DELIMITER //

BEGIN NOT ATOMIC
  IF NOT EXISTS (SELECT 1 FROM information_schema.statistics WHERE table_schema = DATABASE()
                 AND lower(table_name) = 'requirements' AND index_name = 'ft_search_topic') THEN
    ALTER TABLE Requirements ADD FULLTEXT KEY ft_search_topic (RequirementName);
  END IF;
END //

BEGIN NOT ATOMIC
  IF NOT EXISTS (SELECT 1 FROM information_schema.statistics WHERE table_schema = DATABASE()
                 AND lower(table_name) = 'req_messages' AND index_name = 'ft_search_message') THEN
    ALTER TABLE Req_messages ADD FULLTEXT KEY ft_search_message (Subject, msg);
  END IF;
END //

BEGIN NOT ATOMIC
  IF NOT EXISTS (SELECT 1 FROM information_schema.statistics WHERE table_schema = DATABASE()
                 AND lower(table_name) = 'attachments' AND index_name = 'ft_search_attachment') THEN
    ALTER TABLE Attachments ADD FULLTEXT KEY ft_search_attachment (Link, Description);
  END IF;
END //

DELIMITER ;

START TRANSACTION;
INSERT INTO schema_version (VersionID, Version) VALUES (1, 4) ON DUPLICATE KEY UPDATE Version = 4;
COMMIT;
